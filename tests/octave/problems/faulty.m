function varargout = faulty(x, flag)
  % shifted_identity on two variables that misbehaves as the global FAULT
  % says: 'error' raises an error, 'error_formatted' one with a formatted
  % message, 'error_no_id' one without an identifier, 'short_f' returns one entry of F,
  % 'complex_f' / 'sparse_f' return F of the wrong kind, 'full_J' a full J,
  % 'wide_J' a J of the wrong size, 'dense_J' a J with four entries,
  % 'text_domerr' a domerr that is text, 'one_output' only f, 'domerr_2.7' /
  % 'domerr_0.9' those domain-error counts everywhere, 'domerr_NaN' NaN,
  % 'late_error' raises an error at the third Jacobian evaluation after
  % FAULT_CALLS was set to 0, in the middle of the solve (from (3, -1)).
  global FAULT FAULT_CALLS
  [f, J, domerr] = shifted_identity(x, flag);
  if flag == 1
    FAULT_CALLS = FAULT_CALLS + 1;
  end
  J = J + sparse([1 2], [2 1], [1e-3 1e-3], 2, 2);   % four entries, still near the identity
  switch FAULT
    case 'error'
      error('faulty:failed', 'the evaluation failed on purpose');
    case 'error_formatted'
      error('faulty:formatted', 'the user message %d', 42);
    case 'error_no_id'
      error('the evaluation failed without an identifier');
    case 'late_error'
      f = [x(1)^3 - 27; x(2) + 1];   % a root at (3, -1) that Newton's method approaches slowly
      J = sparse([3 * x(1)^2, 0; 0, 1]);
      if FAULT_CALLS >= 3
        error('faulty:failed', 'the evaluation failed on purpose');
      end
    case 'short_f'
      f = f(1);
    case 'complex_f'
      f = f + 1i;
    case 'sparse_f'
      f = sparse(f);
    case 'full_J'
      J = full(J);
    case 'wide_J'
      J = sparse(2, 3);
    case 'text_domerr'
      domerr = 'no';
    case 'one_output'
      varargout = {f};
      return;
    case 'domerr_2.7'
      domerr = 2.7;
    case 'domerr_0.9'
      domerr = 0.9;
    case 'domerr_NaN'
      domerr = NaN;
  end
  varargout = {f, J, domerr};
end
